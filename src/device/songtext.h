// The text a song carries (lyrics, titles, track names) is bytes in whatever
// encoding its author's computer used: UTF-8 today, Shift-JIS or EUC-JP for
// Japanese songs, a Windows code page for European ones. One decoder is chosen
// per song from all of its text together, so that every text of the song is
// read the same way.
#pragma once

#include <string>
#include <string_view>

class SongTextDecoder
{
public:
    // UTF-8 where `sample` is valid UTF-8; otherwise the encoding the
    // detector names, confirmed by decoding the whole sample without error
    // (Japanese encodings are also recognised where the sample is too short
    // for the detector); else Windows-1252, else ISO-8859-1, which takes any
    // bytes.
    static SongTextDecoder detect(std::string_view sample);
    explicit SongTextDecoder(std::string encoding) : m_encoding(std::move(encoding)) {}

    // `bytes` in UTF-8; a byte that does not decode becomes U+FFFD.
    std::string decode(std::string_view bytes) const;
    const std::string &encoding() const { return m_encoding; }

private:
    std::string m_encoding; // an iconv name
};

bool IsValidUtf8(std::string_view bytes);
