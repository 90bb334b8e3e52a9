#pragma once
// The texts of the drawings read in the background while the program is used: on a
// thread of its own with an attachment of its own, the thumbnailer processes at low
// priority, the count in the main window's status bar with a button that cancels. A
// cancel holds until the program starts again.
#include <cstdint>
#include <memory>
#include <set>

#include <QObject>
#include <QPointer>
#include <QString>

#include "settings/settings.h"
#include "text/rootmap.h"

class QLabel;
class QStatusBar;
class QTimer;
class QToolButton;
class QWidget;

class DrawingTextReader : public QObject {
    Q_OBJECT
public:
    // Shows itself at the right of the status bar while it reads.
    explicit DrawingTextReader(QStatusBar* statusBar, QObject* parent = nullptr);
    // Stops the reading; waits a few seconds at most for its end (a server that answers
    // nothing keeps the thread, which then ends on its own).
    ~DrawingTextReader() override;

    // Reads the drawings of a group (0: of every group) a moment later, so that a start
    // or a registration is done first and requests close together become one; a reading
    // under way takes the request after it ends.
    void Start(const DatabaseSettings& settings, const QString& thumbnailer, const RootMappings& mappings,
               int32_t group = 0);
    void Cancel();
    bool Running() const;

    // The widgets, for tests.
    QWidget* Panel() const { return panel_.data(); }
    QLabel* Label() const { return label_; }
    QToolButton* CancelButton() const { return cancel_; }

    // The wait before a reading starts.
    static constexpr int kLaunchDelayMs = 2000;

signals:
    // A reading ended (stopped, failed or finished).
    void Ended();

private:
    struct Shared;
    void Launch();
    void ShowProgress();
    void Finish();

    std::shared_ptr<Shared> shared_;
    // The status bar owns it and may go first at the end.
    QPointer<QWidget> panel_;
    QLabel* label_ = nullptr;          // the two in it
    QToolButton* cancel_ = nullptr;
    QTimer* hide_ = nullptr;
    QTimer* launch_ = nullptr;
    bool cancelled_ = false;
    // What to read next: the settings, the helper and the groups asked for meanwhile.
    DatabaseSettings settings_;
    QString thumbnailer_;
    RootMappings mappings_;
    std::set<int32_t> queued_;
};
