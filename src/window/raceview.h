#pragma once
#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <string>

#include "core/interfaces.h"
#include "race/field.h"
#include "race/race.h"

class QScrollArea;
class QMenu;

namespace ozn {

class SpeechControl;

// The race as it runs, over the print area: the oval (turf or dirt, with
// the course), the runners as numbered markers in their brackets' colours,
// and above it the stage and the leader. It only draws the field it is
// given; its size follows the window's font (zoom) and its colours the
// palette (high contrast). Shown while the race runs when その他 → レースを表示
// is あり (kept in the settings).
class RaceView : public QWidget {
    Q_OBJECT
public:
    // Over the scroll area's viewport, as large as it is, in its widget's font.
    explicit RaceView(QScrollArea* scroll);
    // Fills the race's hooks so that the view follows the race, when it is shown at all.
    void watch(RaceHooks& hooks, const GameRecord& rec);
    void buildMenu(QMenu* other, SpeechControl* control, Speaker& speech);
    bool showsRaces() const { return showsRaces_; }
    void setShowsRaces(bool on);

    void start(const RaceField& field, const GameRecord& rec);
    // Seconds into the start music; redrawn at most 30 times a second.
    void setTime(double seconds);
    const FieldFrame& frame() const { return frame_; }
    // The stage and the leader, for a screen reader to read when asked.
    QString description() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Geometry {
        double scale = 1, marker = 16, lane = 12, pad = 3, band = 80;
        QPointF origin;
        int header = 20;
    };
    void layout();
    void drawBackground();
    QPointF place(double along, double lane) const;
    QRect markerRect(QPointF centre) const;
    QRegion frameRegion() const;
    bool dark() const;
    QString headline() const;

    QWidget* area_ = nullptr;
    RaceField field_;
    FieldFrame frame_;
    std::array<QString, kHorses> names_;
    QString race_, course_;
    bool turf_ = true, showsRaces_ = true;
    Geometry g_;
    QPixmap background_;
    QRegion drawn_;  // what the last update covered, to be cleared at the next
    QElapsedTimer sinceUpdate_;
};

}  // namespace ozn
