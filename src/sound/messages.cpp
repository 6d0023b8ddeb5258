#include "sound/messages.h"

#include <ctime>

namespace ozn {

void MessageHistory::add(const std::string& text, std::chrono::system_clock::time_point at) {
    if (text.empty()) return;
    messages_.push_front({text, at});
    if (messages_.size() > kSize) messages_.pop_back();
    place_ = 0;
}

std::string MessageHistory::current() const { return messages_.empty() ? "" : messages_[place_].text; }

std::string MessageHistory::atPlace() const {
    const std::string& text = messages_[place_].text;
    return place_ == 0 ? "最新、" + text : std::to_string(place_) + "つ前、" + text;
}

std::string MessageHistory::older() {
    if (messages_.empty()) return "履歴はありません";
    if (place_ + 1 >= messages_.size()) return "これより前はありません";
    ++place_;
    return atPlace();
}

std::string MessageHistory::newer() {
    if (messages_.empty()) return "履歴はありません";
    if (place_ == 0) return "これが最新です";
    --place_;
    return atPlace();
}

std::vector<std::string> MessageHistory::lines() const {
    std::vector<std::string> out;
    for (const Message& m : messages_) {
        std::time_t t = std::chrono::system_clock::to_time_t(m.at);
        std::tm local{};
        localtime_r(&t, &local);
        char stamp[16];
        std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
        std::string line = std::string(stamp) + " ";
        for (std::size_t i = 0; i < m.text.size(); ++i) {
            char c = m.text[i];
            if (c == '\r' || c == '\n') {
                if (c == '\r' && i + 1 < m.text.size() && m.text[i + 1] == '\n') ++i;
                line += ' ';
            } else {
                line += c;
            }
        }
        out.push_back(line);
    }
    return out;
}

}  // namespace ozn
