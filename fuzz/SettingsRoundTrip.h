// Whether registry text survives being written and read again. SettingsRoundTrip parses the
// text; when it parses, writing it out and reading that back must give the same keys and values,
// and writing those again the same bytes. The input's bytes then serve as a value name, a text,
// an integer and a key name that are set on the settings; each must either read back after a
// write in the same way or be refused with the settings left as they were.
//
// Shared by the fuzz target fuzz_settings and the registry file's tests; plain C++, so that
// either can include it.
#pragma once

#include "RegistryFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

namespace settings_round_trip {

// A text for a reason: control characters, quotes, backslashes and bytes beyond ASCII as
// \xHH, long texts cut short.
inline std::string Visible(const std::string& text) {
    static const char Digits[] = "0123456789abcdef";
    constexpr std::size_t Shown = 60;
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < Shown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            out += "\\x";
            out += Digits[c >> 4];
            out += Digits[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += text.size() > Shown ? "\"... (" + std::to_string(text.size()) + " bytes)" : "\"";
    return out;
}

inline bool Fail(std::string* why, const std::string& reason) {
    if (why)
        *why = reason;
    return false;
}

inline std::string Describe(const RegistryValue& v) {
    switch (v.type) {
    case RegistryValue::Type::Integer:
        return "integer " + std::to_string(v.integer);
    case RegistryValue::Type::Text:
        return "text " + Visible(v.text);
    case RegistryValue::Type::Other:
        return "other data " + Visible(v.text);
    }
    return "?";
}

// The first place where two sets of keys differ, in words.
inline std::string FirstDifference(const RegistryFile& a, const RegistryFile& b) {
    const auto& ka = a.Keys();
    const auto& kb = b.Keys();
    for (std::size_t k = 0; k < std::min(ka.size(), kb.size()); ++k) {
        if (ka[k].name != kb[k].name)
            return "key " + std::to_string(k) + " is " + Visible(ka[k].name) + ", then " +
                   Visible(kb[k].name);
        const auto& va = ka[k].values;
        const auto& vb = kb[k].values;
        for (std::size_t v = 0; v < std::min(va.size(), vb.size()); ++v)
            if (!(va[v] == vb[v]))
                return "in key " + Visible(ka[k].name) + " value " + Visible(va[v].name) + " (" +
                       Describe(va[v]) + ") became " + Visible(vb[v].name) + " (" +
                       Describe(vb[v]) + ")";
        if (va.size() != vb.size())
            return "key " + Visible(ka[k].name) + " holds " + std::to_string(va.size()) +
                   " values, then " + std::to_string(vb.size());
    }
    return std::to_string(ka.size()) + " keys became " + std::to_string(kb.size());
}

// Writes the settings, reads them back and writes them again: the same keys and values, the
// same bytes.
inline bool WritesBackExactly(const RegistryFile& settings, const std::string& what,
                              std::string* why) {
    const std::string written = settings.Serialize();
    RegistryFile again;
    std::string error;
    if (!again.Parse(written, &error))
        return Fail(why, what + ": the written text does not load (" + error + ")");
    if (!(again.Keys() == settings.Keys()))
        return Fail(why, what + ": read back differently: " + FirstDifference(settings, again));
    if (again.Serialize() != written)
        return Fail(why, what + ": written a second time, the text changed");
    return true;
}

// Checks one change made by SetText, SetInteger or AddKey. done is what the call returned,
// holdable whether the file can hold what it was given; before is a copy from before the call.
inline bool ChangeReadsBack(const RegistryFile& settings, const RegistryFile& before, bool done,
                            bool holdable, const std::string& what, std::string* why) {
    if (!done) {
        if (holdable)
            return Fail(why, what + ": refused, though the file can hold it");
        if (!(settings.Keys() == before.Keys()))
            return Fail(why, what + ": refused, but the settings changed: " +
                                 FirstDifference(before, settings));
        return true;
    }
    if (!holdable)
        return Fail(why, what + ": accepted, though the file cannot hold it");
    return WritesBackExactly(settings, what, why);
}

inline bool TextIsSet(const RegistryFile& settings, const std::string& key, const std::string& name,
                      const std::string& text) {
    const RegistryValue* v = settings.FindValue(key, name);
    return v && v->type == RegistryValue::Type::Text && v->text == text;
}

} // namespace settings_round_trip

inline bool SettingsRoundTrip(const std::string& text, std::string* why) {
    using namespace settings_round_trip;

    RegistryFile settings;
    std::string error;
    if (settings.Parse(text, &error)) {
        if (!WritesBackExactly(settings, "the input", why))
            return false;
    } else {
        if (error.empty())
            return Fail(why, "the input was refused without a reason");
        if (!settings.Keys().empty())
            return Fail(why, "the input was refused, but keys were kept");
        // The changes below are still tried, on settings that hold one key.
        settings.Parse(std::string(RegistryFile::Header) + "\n");
    }

    // The first key that can be named as the program names keys; one is added when none can.
    std::string key;
    for (const auto& k : settings.Keys())
        if (settings.KeyExists(k.name)) {
            key = k.name;
            break;
        }
    if (key.empty()) {
        key = "\\crypt file\\Settings\\MasterPass";
        if (!settings.AddKey(key) || !settings.KeyExists(key))
            return Fail(why, "a plain key could not be added");
    }

    // The input's bytes as a value name and a text: the first byte tells how many of the bytes
    // after it form the name, the rest is the text; the integer is taken from the text.
    std::string name, value;
    if (!text.empty()) {
        const std::size_t length =
            std::min<std::size_t>(static_cast<unsigned char>(text[0]) % 64, text.size() - 1);
        name = text.substr(1, length);
        value = text.substr(1 + length);
    }
    std::uint32_t number = 2166136261u;
    for (const char c : value)
        number = (number ^ static_cast<unsigned char>(c)) * 16777619u;

    const bool nameFits = RegistryFile::CanHoldName(name);
    const bool valueFits = RegistryFile::CanHoldText(value);
    const std::string setName = "the text " + Visible(value) + " set as " + Visible(name);

    RegistryFile before = settings;
    bool done = settings.SetText(key, name, value);
    if (!ChangeReadsBack(settings, before, done, nameFits && valueFits, setName, why))
        return false;
    if (done && !TextIsSet(settings, key, name, value))
        return Fail(why, setName + ": not found as set");

    before = settings;
    done = settings.SetText(key, "", value);
    if (!ChangeReadsBack(settings, before, done, valueFits,
                         "the text " + Visible(value) + " set as the unnamed value", why))
        return false;
    if (done && !TextIsSet(settings, key, "", value))
        return Fail(why, "the unnamed value: not found as set");

    // The other way round: a long name, a short text.
    before = settings;
    done = settings.SetText(key, value, name);
    if (!ChangeReadsBack(settings, before, done,
                         RegistryFile::CanHoldName(value) && RegistryFile::CanHoldText(name),
                         "the text " + Visible(name) + " set as " + Visible(value), why))
        return false;

    before = settings;
    done = settings.SetInteger(key, name, number);
    const std::string setNumber =
        "the integer " + std::to_string(number) + " set as " + Visible(name);
    if (!ChangeReadsBack(settings, before, done, nameFits, setNumber, why))
        return false;
    if (done) {
        const RegistryValue* v = settings.FindValue(key, name);
        if (!v || v->type != RegistryValue::Type::Integer || v->integer != number)
            return Fail(why, setNumber + ": not found as set");
    }

    // The name as a key below the root, and the text in it.
    const std::string newKey = "\\" + name;
    before = settings;
    done = settings.AddKey(newKey);
    if (!ChangeReadsBack(settings, before, done, nameFits, "the key " + Visible(newKey), why))
        return false;
    if (done) {
        if (!settings.KeyExists(newKey))
            return Fail(why, "the key " + Visible(newKey) + ": added, but not found");
        before = settings;
        done = settings.SetText(newKey, "", value);
        if (!ChangeReadsBack(settings, before, done, valueFits,
                             "the text " + Visible(value) + " in the key " + Visible(newKey), why))
            return false;
    }
    return true;
}

} // namespace qv
