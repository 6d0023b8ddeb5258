#include "window/bulkpicker.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "betting/betting.h"
#include "window/qtext.h"
#include "window/textwindow.h"

namespace ozn {
namespace {

// The names of the rows each form uses.
std::vector<QString> rowNames(int kind, BulkForm form) {
    switch (form) {
        case BulkForm::Row:
        case BulkForm::Box: return {QStringLiteral("馬番")};
        case BulkForm::Axis:
        case BulkForm::Multi: return {QStringLiteral("軸"), QStringLiteral("相手")};
        case BulkForm::Formation: break;
    }
    std::vector<QString> names;
    for (int place = 1; place <= horsesPerTicket(kind); ++place)
        names.push_back(QString::number(place) + (kind == 6 || kind == kExacta ? QStringLiteral("着") : QStringLiteral("頭目")));
    return names;
}

}  // namespace

BulkPicker::BulkPicker(QWidget* parent, int kind, Say say, Say tell) : QDialog(parent), kind_(kind) {
    setObjectName(QStringLiteral("bulkPicker"));
    setWindowTitle(QStringLiteral("まとめ買い"));
    setAccessibleName(q(kindName(kind)) + QStringLiteral("のまとめ買い"));
    auto* layout = new QVBoxLayout(this);
    intro_ = new QLabel(accessibleName() + QStringLiteral("：") + (kind >= 3 ? QStringLiteral("形式を選び、") : QString()) +
                            (kind == kBracketQuinella ? QStringLiteral("枠番にチェックを入れて下さい") : QStringLiteral("馬番にチェックを入れて下さい")),
                        this);
    layout->addWidget(intro_);
    forms_ = new QButtonGroup(this);
    if (kind >= 3) {
        auto* formRow = new QHBoxLayout;
        std::vector<BulkForm> forms = {BulkForm::Box, BulkForm::Axis, BulkForm::Formation};
        if (kind == 6 || kind == kExacta) forms.insert(forms.begin() + 2, BulkForm::Multi);
        for (BulkForm f : forms) {
            auto* b = new QRadioButton(q(bulkFormName(f)), this);
            b->setObjectName(QStringLiteral("form%1").arg(static_cast<int>(f)));
            forms_->addButton(b, static_cast<int>(f));
            formRow->addWidget(b);
        }
        forms_->buttons().constFirst()->setChecked(true);
        formRow->addStretch();
        layout->addLayout(formRow);
    }
    auto* grid = new QGridLayout;
    for (int r = 0; r < 3; ++r) {
        auto* name = new QLabel(this);
        rowNames_.push_back(name);
        grid->addWidget(name, r, 0);
        std::vector<QCheckBox*> row;
        for (int h = 1; h <= 18; ++h) {
            auto* box = new QCheckBox(QString::number(h), this);
            box->setObjectName(QStringLiteral("r%1h%2").arg(r).arg(h));
            grid->addWidget(box, r, h);
            connect(box, &QCheckBox::toggled, this, [this, box, say, tell](bool on) {
                update();
                if (say) say(box->accessibleName().toStdString() + (on ? " オン" : " オフ"));
                if (tell) tell(counted_);
            });
            row.push_back(box);
        }
        rows_.push_back(row);
    }
    layout->addLayout(grid);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("count"));
    layout->addWidget(count_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons_);
    connect(forms_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) update();
    });
    update();
}

BulkForm BulkPicker::form() const {
    return kind_ <= 2 ? BulkForm::Row : static_cast<BulkForm>(forms_->checkedId());
}

std::string BulkPicker::line() const {
    std::vector<std::vector<int>> chosen;
    bool any = false;
    for (std::size_t r = 0; r < rowNames(kind_, form()).size(); ++r) {
        std::vector<int> row;
        for (int h = 1; h <= 18; ++h)
            if (rows_[r][h - 1]->isChecked()) row.push_back(h);
        any = any || !row.empty();
        chosen.push_back(row);
    }
    return any ? bulkLine(form(), chosen) : std::string();
}

// Shows the rows the form uses, and the count or what is wrong with it.
void BulkPicker::update() {
    const std::vector<QString> names = rowNames(kind_, form());
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const bool used = r < names.size();
        rowNames_[r]->setText(used ? names[r] : QString());
        rowNames_[r]->setVisible(used);
        const bool brackets = kind_ == kBracketQuinella;  // 枠連 chooses brackets 1..8
        for (QCheckBox* box : rows_[r]) {
            const bool shown = used && (!brackets || box->text().toInt() <= kBrackets);
            box->setVisible(shown);
            box->setAccessibleName(shown ? names[r] + QStringLiteral(" ") + box->text() +
                                               (brackets ? QStringLiteral("枠") : QStringLiteral("番"))
                                         : QString());
        }
    }
    const std::string l = line();
    const BulkParse p = l.empty() ? BulkParse{{}, kind_ == kBracketQuinella ? "枠番を選んで下さい" : "馬番を選んで下さい"} : parseBulk(kind_, l);
    counted_ = p.error.empty() ? std::to_string(p.order.tickets.size()) + "点" : p.error;
    count_->setText(p.error.empty() ? q(l) + QStringLiteral("　") + q(counted_) : q(p.error));
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(p.error.empty());
}

std::string BulkPicker::opening() const {
    std::string out = intro_->text().toStdString();
    if (kind_ >= 3) out += "\r\n" + bulkFormName(form());
    return out;
}

std::optional<std::string> BulkPicker::pick(QWidget* parent, int kind, Say say, Say tell) {
    BulkPicker picker(parent, kind, say, std::move(tell));
    handKeyboardBack(&picker);
    if (say) say(picker.opening());
    if (picker.exec() != QDialog::Accepted) return std::nullopt;
    return picker.line();
}

}  // namespace ozn
