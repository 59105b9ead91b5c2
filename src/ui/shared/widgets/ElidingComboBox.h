#pragma once

#include "platform/Text.h"
#include "platform/TextEnds.h"
#include "ui/shared/widgets/MenuEntryTexts.h"

#include <QComboBox>
#include <QList>
#include <QUuid>
#include <QVariant>

namespace velmor {

// A combo box that cuts a long current entry with "…" instead of clipping it,
// so a narrow picker still says which entry is chosen. It asks its layout for
// room for a few characters only: a long entry never widens the window. Its
// drop-down list is at most the width of a menu (or of the picker, when that is
// wider), and cuts longer entries with "…" at their end. Each place cuts the
// entry's whole text once, to its own room (nameFit::fitted).
class ElidingComboBox : public QComboBox {
public:
    explicit ElidingComboBox(QWidget* parent = nullptr);

    // One entry: the text shown (a name as text::shownName or, for a name of any
    // length, text::shownEnds shows it) and the value it stands for.
    struct Entry {
        QString text;
        QVariant value;
    };

    // Shows `entries` (refilled only when they changed) and selects the one whose
    // value is `current`; none when no entry has it.
    void showEntries(const QList<Entry>& entries, const QVariant& current);

    // The current entry as drawn at the present width.
    QString shownText() const;

    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int textWidth() const;
    // The entry's text before the list cut it.
    QString wholeText(int index) const;
    // Narrows the list about to be shown, under the picker and on its screen.
    void fitList(QWidget& list) const;

    MenuEntryTexts entryTexts_;
};

// Shows profiles (user or PACS) by name, each holding its id, and selects `current`.
template <typename Profile>
void showProfiles(ElidingComboBox& picker, const QList<Profile>& profiles, const QUuid& current)
{
    QList<ElidingComboBox::Entry> entries;
    entries.reserve(profiles.size());
    for (const Profile& profile : profiles)
        entries.append({text::shownEnds(profile.name), profile.id});
    picker.showEntries(entries, current);
}

} // namespace velmor
