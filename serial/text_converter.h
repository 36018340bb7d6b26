// What a platform supplies to the text codec: conversion between UTF-16 and
// one character set, without the line-break and kept-tail rules, which are
// the codec's own.
#pragma once

#include "text.h"

#include <memory>
#include <string>
#include <string_view>

namespace serial {

struct TextCodec::Converter {
    // A converter for `charset`, or null when the system does not know it.
    static std::unique_ptr<Converter> open(const std::string &charset);
    // The system's narrow character set, in the form open() takes.
    static std::string systemCharset();

    virtual ~Converter() = default;
    // UTF-16 to bytes; '?' for each character the set cannot encode.
    virtual std::string encode(std::u16string_view text) = 0;
    // Appends the characters `bytes` holds to `out`, U+FFFD for each byte
    // that can never form one, and returns how many bytes at the end begin a
    // character that is not complete yet (those are not converted).
    virtual std::size_t decode(std::string_view bytes, std::u16string &out) = 0;
};

} // namespace serial
