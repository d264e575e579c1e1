#pragma once

#include <span>
#include <string_view>

// The words of generated passphrases: the syllables of Mandarin as written in pinyin, without tone
// marks, each once. Chinese users read and type them without thinking, and every one is plain ASCII.
// The four syllables with ü (nü, nüe, lü, lüe) are left out: they have no one way to be typed.
namespace PinyinSyllables {

std::span<const std::string_view> all();

} // namespace PinyinSyllables
