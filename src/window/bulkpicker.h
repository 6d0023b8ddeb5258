#pragma once
// まとめ買い by pointer: a row of check boxes per place that builds the same
// line the typed box takes.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "betting/bulk.h"

class QButtonGroup;
class QCheckBox;
class QDialogButtonBox;
class QLabel;

namespace ozn {

class BulkPicker : public QDialog {
public:
    // `say` hears what the dialog says as it opens and each box ticked or
    // cleared, with its row (what a screen reader reads itself); `tell`
    // hears the count that follows each change (which none reads).
    using Say = std::function<void(const std::string&)>;
    BulkPicker(QWidget* parent, int kind, Say say = {}, Say tell = {});
    // The line for what is checked now ("" while nothing is).
    std::string line() const;
    // What it says as it opens: what to do, and the form it starts on.
    std::string opening() const;
    // Opens the dialog; nullopt when cancelled.
    static std::optional<std::string> pick(QWidget* parent, int kind, Say say = {}, Say tell = {});

private:
    BulkForm form() const;
    void update();

    int kind_;
    QButtonGroup* forms_ = nullptr;
    std::vector<std::vector<QCheckBox*>> rows_;  // up to three rows of 18
    std::vector<QLabel*> rowNames_;
    QLabel* intro_ = nullptr;
    QLabel* count_ = nullptr;
    std::string counted_;  // what the count says: the number of tickets or what is missing
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace ozn
