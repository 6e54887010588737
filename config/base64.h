#pragma once
// The Base64 text form of version records (standard alphabet, '=' padding).
//
// The encoder breaks its output with CR LF after every 76 characters of complete groups. The
// decoder skips CR and LF where a group of four characters would begin and validates nothing:
// a character outside the alphabet, '=' included, counts as 0.

#include <string>

// Encodes `length` bytes; a negative length counts as 0.
std::string Base64Encode(const unsigned char* data, int length);
std::string Base64Encode(const std::string& bytes);

// Decodes `length` characters; a negative length counts as 0. Never reads outside the text: in a
// last group cut short, missing characters count as '='.
std::string Base64Decode(const char* text, int length);
std::string Base64Decode(const std::string& text);
