#include "net/server_info.h"

const std::string& ServerInfoUrl() {
    static const std::string url = TOLBE_NOTICE_URL;
    return url;
}
