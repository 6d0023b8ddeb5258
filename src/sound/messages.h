#pragma once
// What the game said: the last texts, each whole with its time, and a place
// the player steps back and forth through.
#include <chrono>
#include <deque>
#include <string>
#include <vector>

namespace ozn {

class MessageHistory {
public:
    static constexpr std::size_t kSize = 200;
    struct Message {
        std::string text;
        std::chrono::system_clock::time_point at;
    };

    // A new text: kept as the newest, and the place moves back to it.
    void add(const std::string& text, std::chrono::system_clock::time_point at = std::chrono::system_clock::now());
    bool empty() const { return messages_.empty(); }
    // The text at the current place ("" when nothing was said yet).
    std::string current() const;
    // Shift+F3 / Ctrl+F3: the text to say, with its place ("3つ前、…"),
    // or what is said at either end.
    std::string older();
    std::string newer();
    // How far back the current place is: 0 for the newest.
    std::size_t place() const { return place_; }
    // Newest first.
    const std::deque<Message>& messages() const { return messages_; }
    // Newest first, each as "HH:MM:SS text" in local time, line breaks as blanks.
    std::vector<std::string> lines() const;

private:
    std::string atPlace() const;
    std::deque<Message> messages_;  // front: the newest
    std::size_t place_ = 0;
};

}  // namespace ozn
