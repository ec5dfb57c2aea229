#pragma once

#include <string>

// The IMEI check digit rules, shared by the tool's side and the backends; they need no handset.
namespace ImeiCheck {

// 15 digits whose last is the Luhn check digit over the first 14.
bool isValid(const std::string &imei);
// The 14-digit body followed by its check digit; empty when the body is not exactly 14 digits.
std::string withCheckDigit(const std::string &body);

} // namespace ImeiCheck
