#include "device/songtext.h"

#include <uchardet/uchardet.h>

#include <cerrno>
#include <iconv.h>
#include <memory>
#include <optional>

namespace {

// Decodes `bytes` from `encoding`: nullopt where it is not that encoding
// (strict) or the encoding is unknown; with `lenient`, a byte that does not
// decode becomes U+FFFD instead.
std::optional<std::string> convert(std::string_view bytes, const std::string &encoding, bool lenient)
{
    iconv_t cd = iconv_open("UTF-8", encoding.c_str());
    if (cd == iconv_t(-1))
        return std::nullopt;
    const std::unique_ptr<void, int (*)(iconv_t)> closer(cd, iconv_close);
    std::string out;
    char buffer[1024];
    char *in = const_cast<char *>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char *to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t done = iconv(cd, &in, &inLeft, &to, &toLeft);
        out.append(buffer, std::size_t(to - buffer));
        if (done != std::size_t(-1) || errno == E2BIG)
            continue;
        if (!lenient)
            return std::nullopt;
        out += "\xEF\xBF\xBD";
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

// Code points of UTF-8 text, for the share of Japanese among them.
bool mostlyJapanese(const std::string &utf8)
{
    int others = 0;
    int japanese = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n && i + std::size_t(k) < utf8.size(); ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + std::size_t(k)]) & 0x3F);
        i += std::size_t(n);
        if (cp < 0x80)
            continue;
        const bool kana = cp >= 0x3000 && cp <= 0x30FF;
        const bool kanji = cp >= 0x4E00 && cp <= 0x9FFF;
        const bool fullWidth = cp >= 0xFF01 && cp <= 0xFF5E;
        (kana || kanji || fullWidth ? japanese : others) += 1;
    }
    return japanese > 0 && japanese >= 9 * others;
}

bool isWestern(const std::string &name)
{
    return name == "ISO-8859-1" || name == "WINDOWS-1252" || name == "ISO-8859-15" || name == "ASCII";
}

} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = 0;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n > bytes.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (t & 0x3F);
        }
        const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

SongTextDecoder SongTextDecoder::detect(std::string_view sample)
{
    if (IsValidUtf8(sample))
        return SongTextDecoder("UTF-8");
    std::string guess;
    if (uchardet_t detector = uchardet_new()) {
        if (uchardet_handle_data(detector, sample.data(), sample.size()) == 0) {
            uchardet_data_end(detector);
            guess = uchardet_get_charset(detector);
        }
        uchardet_delete(detector);
    }
    // Shift-JIS as Windows writes it, with its extra characters.
    if (guess == "SHIFT_JIS")
        guess = "CP932";
    if (!guess.empty() && !isWestern(guess) && convert(sample, guess, false))
        return SongTextDecoder(guess);
    // A few syllables are too little for the detector, which then calls
    // Japanese text Western; Japanese decoded is almost all kana and kanji.
    for (const char *japanese : {"EUC-JP", "CP932"}) {
        const auto text = convert(sample, japanese, false);
        if (text && mostlyJapanese(*text))
            return SongTextDecoder(japanese);
    }
    if (guess == "ISO-8859-1")
        guess = "WINDOWS-1252";
    if (!guess.empty() && guess != "ASCII" && convert(sample, guess, false))
        return SongTextDecoder(guess);
    if (convert(sample, "WINDOWS-1252", false))
        return SongTextDecoder("WINDOWS-1252");
    return SongTextDecoder("ISO-8859-1");
}

std::string SongTextDecoder::decode(std::string_view bytes) const
{
    if (m_encoding == "UTF-8" && IsValidUtf8(bytes))
        return std::string(bytes);
    if (auto text = convert(bytes, m_encoding, true))
        return *text;
    return std::string(bytes.size(), '?');
}
