# The card service's host is fixed when the program is built. It must be a
# plain host name: letters, digits, hyphens and dots, nothing else.
function(check_card_service_host host)
    if(host STREQUAL "")
        message(FATAL_ERROR "CARD_SERVICE_HOST is empty: give the host name of the card service, e.g. -DCARD_SERVICE_HOST=cards.example.com")
    endif()
    if(NOT host MATCHES "^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$" OR host MATCHES "\\.\\.")
        message(FATAL_ERROR
            "CARD_SERVICE_HOST \"${host}\" is not a plain host name. Give only the host, "
            "e.g. cards.example.com: no scheme (http://), no port (:8080), no user information (user@) "
            "and no solidus (/).")
    endif()
endfunction()
