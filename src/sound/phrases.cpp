// How a text is cut into the phrases the speech channel makes and plays.
#include "sound/audio.h"

namespace ozn {

std::vector<std::string> phrases(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    auto flush = [&] {
        if (!cur.empty()) out.push_back(cur);
        cur.clear();
    };
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            flush();
            ++i;
        } else if (text.compare(i, 3, "、") == 0 || text.compare(i, 3, "。") == 0) {
            cur.append(text, i, 3);
            flush();
            i += 3;
        } else {
            cur += text[i++];
        }
    }
    flush();
    return out;
}

void joinPhrase(std::string& piece, const std::string& phrase) {
    const bool pause = piece.size() >= 3 && (piece.compare(piece.size() - 3, 3, "、") == 0 || piece.compare(piece.size() - 3, 3, "。") == 0);
    piece += (piece.empty() || pause ? "" : " ") + phrase;
}

}  // namespace ozn
