// The VS_VERSIONINFO layout of a version resource, as the resource compiler writes it for a 32-bit module.
#include <cstdint>

#include "simwin/resource_set.h"

namespace simwin {

namespace {

void putWord(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void putDword(std::string& out, uint32_t v) {
    putWord(out, v & 0xFFFF);
    putWord(out, v >> 16);
}
void putUtf16z(std::string& out, const std::string& text) {
    for (char16_t u : utf16FromUtf8(text)) putWord(out, u);
    putWord(out, 0);
}
void align4(std::string& out) {
    while (out.size() % 4) out += '\0';
}

// One node: wLength, wValueLength, wType, the key, the value and the children, each DWORD-aligned;
// wLength covers the node up to the end of its last child (or value), without trailing padding.
template <typename Children>
void versionNode(std::string& out, const std::string& key, WORD type, const std::string& value, WORD valueLength,
                 Children children) {
    align4(out);
    size_t start = out.size();
    putWord(out, 0);
    putWord(out, valueLength);
    putWord(out, type);
    putUtf16z(out, key);
    align4(out);
    out += value;
    children();
    size_t length = out.size() - start;
    out[start] = static_cast<char>(length & 0xFF);
    out[start + 1] = static_cast<char>((length >> 8) & 0xFF);
}

}  // namespace

std::string VersionResource::binary() const {
    std::string fixed;
    for (DWORD v : {0xFEEF04BDu, 0x00010000u, fileVersionMS, fileVersionLS, productVersionMS, productVersionLS,
                    fileFlagsMask, fileFlags, fileOS, fileType, fileSubtype, 0u, 0u})
        putDword(fixed, v);
    std::string out;
    versionNode(out, "VS_VERSION_INFO", 0, fixed, static_cast<WORD>(fixed.size()), [&] {
        if (!stringBlocks.empty()) {
            versionNode(out, "StringFileInfo", 1, "", 0, [&] {
                for (const StringBlock& block : stringBlocks)
                    versionNode(out, block.name, 1, "", 0, [&] {
                        for (const auto& value : block.values) {
                            std::string text;
                            putUtf16z(text, value.second);
                            versionNode(out, value.first, 1, text, static_cast<WORD>(text.size() / 2), [] {});
                        }
                    });
            });
        }
        if (!translations.empty()) {
            versionNode(out, "VarFileInfo", 1, "", 0, [&] {
                std::string pairs;
                for (const auto& t : translations) putWord(pairs, t.first), putWord(pairs, t.second);
                versionNode(out, "Translation", 0, pairs, static_cast<WORD>(pairs.size()), [] {});
            });
        }
    });
    return out;
}

}  // namespace simwin
