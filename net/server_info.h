#pragma once
// Where the launcher finds the notice server's version record, vaskpc.txt.

#include <string>

// The notice server's address of vaskpc.txt: a plain http:// URL fixed when the launcher is
// built (CMake cache variable TOLBE_NOTICE_URL). The sandbox profile's host lines may redirect
// its connection; the URL itself never changes.
const std::string& ServerInfoUrl();
