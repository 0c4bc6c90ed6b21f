// The generate action through its seam: which boxes it reads, in which order,
// what it asks the view to load and what it tells the user.
#include "app/card_requests.h"
#include "app/identifiers.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

const std::string kPrefix = "http://" CARD_SERVICE_HOST "/app/index.php?c=entry&m=leo_generate&do=index&i=2&name=";
const std::string kValidation = "\xC3\xFB\xD7\xD6\xBB\xF2\xD5\xDF\xB1\xED\xB0\xD7\xD3\xEF\xBE\xE4\xB2\xBB\xC4\xDC"
                                "\xCE\xAA\xBF\xD5";
const std::string kSuccess =
    "\xD2\xD1\xC9\xFA\xB3\xC9\xCD\xEA\xB1\xCF,\xD3\xD2\xBC\xFC\xB5\xE3\xBB\xF7\xA3\xA8\xCD\xBC\xC6\xAC\xC1\xED\xB4\xE6"
    "\xCE\xAA\xA3\xA9\xBC\xB4\xBF\xC9\xB1\xA3\xB4\xE6\xC5\xB6\r\n\xC8\xE7\xB9\xFB\xC3\xBB\xD3\xD0\xB3\xC9\xB9\xA6\xC7\xEB"
    "\xB6\xE0\xC9\xFA\xB3\xC9\xBC\xB8\xB4\xCE\xA3\xA1";

// Answers each read from a script of values per box and records every call.
class RecordingPorts : public cc::CardActionPorts {
public:
    std::deque<std::string> names, types;
    std::vector<int32_t> reads;
    std::vector<std::string> addresses, messages;
    std::vector<std::string> calls;  // the order of all calls

    cc::Text ReadBox(int32_t controlId) override {
        reads.push_back(controlId);
        calls.push_back(controlId == cc::kNameBoxId ? "read name" : "read type");
        auto& script = controlId == cc::kNameBoxId ? names : types;
        if (script.empty()) return std::string();
        std::string value = script.front();
        if (script.size() > 1) script.pop_front();
        return value;
    }
    void SetViewAddress(const cc::Text& url) override {
        addresses.push_back(url);
        calls.push_back("address");
    }
    void ShowMessage(const cc::Text& text) override {
        messages.push_back(text);
        calls.push_back("message");
    }
};

TEST(CardUrl, RequestPrefixAndTypePieces) {
    EXPECT_EQ(std::string(cc::kRequestPrefix), kPrefix);
    EXPECT_EQ(std::string(cc::kTypePiece), "&type=");
    EXPECT_EQ(std::string(cc::kWelcomeTypePiece), "&type=5");
}

TEST(CardUrl, WelcomeCardEncodesItsNameAsUtf8) {
    EXPECT_EQ(cc::ComposeWelcomeUrl(), kPrefix + "%E6%AC%A2%E8%BF%8E%E6%82%A8&type=5");
}

TEST(GenerateCard, FullActionReadsNameTypeNameTypeThenLoadsThenTells) {
    RecordingPorts ports;
    ports.names = {"Tom"};
    ports.types = {"3"};
    cc::GenerateCard(ports);
    EXPECT_EQ(ports.calls, (std::vector<std::string>{"read name", "read type", "read name", "read type", "address",
                                                     "message"}));
    EXPECT_EQ(ports.addresses, std::vector<std::string>{kPrefix + "%54%6F%6D&type=3"});
    EXPECT_EQ(ports.messages, std::vector<std::string>{kSuccess});
}

TEST(GenerateCard, UrlTakesTheValuesOfTheSecondReads) {
    RecordingPorts ports;
    ports.names = {"first", "a b"};
    ports.types = {"9", "1"};
    cc::GenerateCard(ports);
    EXPECT_EQ(ports.addresses, std::vector<std::string>{kPrefix + "%61%20%62&type=1"});
}

TEST(GenerateCard, EmptyInputsGiveTheValidationMessageAndNoAddress) {
    struct Case {
        std::string name, type;
        std::vector<int32_t> reads;
    };
    const Case cases[] = {
        {"", "", {cc::kNameBoxId}},
        {"", "1", {cc::kNameBoxId}},
        {"Tom", "", {cc::kNameBoxId, cc::kTypeBoxId}},
    };
    for (const auto& c : cases) {
        RecordingPorts ports;
        ports.names = {c.name};
        ports.types = {c.type};
        cc::GenerateCard(ports);
        EXPECT_EQ(ports.reads, c.reads) << "name '" << c.name << "' type '" << c.type << "'";
        EXPECT_TRUE(ports.addresses.empty());
        EXPECT_EQ(ports.messages, std::vector<std::string>{kValidation});
    }
}

TEST(GenerateCard, TypeTextGoesInUnchanged) {
    const std::string types[] = {"7", "1.5", "-3", "abc", "2&x=1", "\xCE\xD2\xB0\xAE\xC4\xE3", " 3 ", "%41"};
    for (const auto& type : types) {
        RecordingPorts ports;
        ports.names = {"Tom"};
        ports.types = {type};
        cc::GenerateCard(ports);
        EXPECT_EQ(ports.addresses, std::vector<std::string>{kPrefix + "%54%6F%6D&type=" + type}) << type;
    }
}

TEST(GenerateCard, SpacesAndChineseInTheName) {
    const std::pair<std::string, std::string> cases[] = {
        {"   ", "%20%20%20"},
        {"\xD5\xC5", "%E5%BC%A0"},  // 张
        {"a&b=c", "%61%26%62%3D%63"},
    };
    for (const auto& [name, encoded] : cases) {
        RecordingPorts ports;
        ports.names = {name};
        ports.types = {"2"};
        cc::GenerateCard(ports);
        EXPECT_EQ(ports.addresses, std::vector<std::string>{kPrefix + encoded + "&type=2"}) << name;
    }
}

}  // namespace
