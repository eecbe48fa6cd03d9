#pragma once
// Track titles from ICY metadata, as servers really send them.
#include <optional>
#include <string>

namespace playback {

// The title of a metadata text such as "StreamTitle='Artist - Song';StreamUrl='';": the text
// after "StreamTitle=" and its opening quote up to the next "';" (to the end of the text when
// there is none, without a closing quote there). None when there is no "StreamTitle=".
std::optional<std::string> TitleOfMetadata(const std::string& meta);

// Title bytes as Windows-1251 text for the window. Bytes that form valid UTF-8 with at least
// one multi-byte sequence are read as UTF-8, others as Windows-1251; numeric character
// references ("&#1055;", "&#x41F;") are decoded; control characters become spaces and
// characters that Windows-1251 lacks become "?".
std::string TitleToAnsi(const std::string& bytes);

}  // namespace playback
