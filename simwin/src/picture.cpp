// Text pictures of windows: what a person sees of a dialog, its pages and controls (a simulator's --show).
#include "simwin/machine.h"
#include "simwin/windows.h"

namespace simwin {

namespace {

std::string oneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

void pictureOf(const WindowSystem& ws, const Window& w, const std::string& indent, std::vector<std::string>& lines) {
    for (HWND c : w.children) {
        const Window* child = ws.find(c);
        if (!child || !child->visible()) continue;
        std::string line = indent + "[" + std::to_string(child->id) + "] " + child->className;
        if (!child->title.empty()) line += " \"" + oneLine(child->title) + "\"";
        if (child->isDialog && !child->templateName.empty()) line += " (page " + child->templateName + ")";
        if ((child->style & 0x0F) == 0x01 && child->className == "Button") line += " (default)";
        if (!child->enabled()) line += " (disabled)";
        if (ws.focus == c) line += " (focus)";
        lines.push_back(line);
        std::vector<std::string> inner;
        // What the tool draws into a control stands for what the control shows of its own.
        if (!child->drawn.empty()) {
            // Top first: a mark drawn over another without erasing it shows both.
            std::string images;
            for (auto d = child->drawn.rbegin(); d != child->drawn.rend(); ++d)
                images += (images.empty() ? "" : " over ") + std::to_string(d->image);
            inner.push_back("shows image " + images);
        }
        else if (child->state)
            child->state->picture(inner);
        for (const std::string& l : inner) lines.push_back(indent + "    " + l);
        if (child->isDialog) pictureOf(ws, *child, indent + "    ", lines);
    }
}

}  // namespace

std::vector<std::string> WindowSystem::picture(HWND hwnd) const {
    std::vector<std::string> lines;
    const Window* w = find(hwnd);
    if (!w) return lines;
    std::string head = "window \"" + oneLine(w->title) + "\"";
    if (!w->templateName.empty()) head += " (dialog " + w->templateName + ")";
    if (!w->visible()) head += " (hidden)";
    if (!w->enabled()) head += " (disabled)";
    lines.push_back(head);
    pictureOf(*this, *w, "    ", lines);
    return lines;
}

}  // namespace simwin
