#include "ui/shared/widgets/DialogPrompter.h"

#include "ui/shared/NameFit.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

#include <algorithm>

namespace velmor {

namespace {

QString nameFilter(const QString& suffix)
{
    if (suffix.isEmpty())
        return QObject::tr("All files (*)");
    return QStringLiteral("%1 (*.%2)").arg(suffix.toUpper(), suffix);
}

QMessageBox::ButtonRole messageBoxRole(Prompter::Role role)
{
    switch (role) {
    case Prompter::Role::destructive:
        return QMessageBox::DestructiveRole;
    case Prompter::Role::cancel:
        return QMessageBox::RejectRole;
    case Prompter::Role::normal:
        break;
    }
    return QMessageBox::AcceptRole;
}

// The name with no line break inside it: every space made non-breaking (a
// line may break at any space) and a word joiner at each other place a line
// could break.
QString unbreakable(const QString& name)
{
    QString result;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, name);
    qsizetype from = 0;
    for (qsizetype at = breaks.toNextBoundary(); at > 0 && at < name.size(); at = breaks.toNextBoundary()) {
        result += name.mid(from, at - from);
        if (name.at(at - 1) != QLatin1Char(' '))
            result += QChar(0x2060); // WORD JOINER
        from = at;
    }
    result += name.mid(from);
    return result.replace(QLatin1Char(' '), QChar::Nbsp);
}

// True when some part of `name` between two places a line may break is wider
// than `width`: wrapping cannot help, the name has to be cut.
bool hasUnbreakablePartWiderThan(const QString& name, const QFontMetricsF& metrics, qreal width)
{
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, name);
    qsizetype from = 0;
    for (qsizetype at = breaks.toNextBoundary(); at > 0; at = breaks.toNextBoundary()) {
        if (metrics.horizontalAdvance(QStringView(name).mid(from, at - from).trimmed().toString()) > width)
            return true;
        from = at;
    }
    return false;
}

// The room a name gets on a line of the message: the line less the text that
// sticks to it (a "." after it; a line cannot break between them), and less a
// short start of its line before it (a "• "), which then stays on the name's line.
qreal roomForName(const QString& message, const QString& name, const QFontMetricsF& metrics, qreal lineWidth)
{
    qreal taken = 0;
    for (qsizetype at = message.indexOf(name); at >= 0; at = message.indexOf(name, at + name.size())) {
        qsizetype start = at;
        while (start > 0 && !message.at(start - 1).isSpace())
            --start;
        qsizetype end = at + name.size();
        while (end < message.size() && !message.at(end).isSpace())
            ++end;
        const qsizetype lineStart = at > 0 ? message.lastIndexOf(u'\n', at - 1) + 1 : 0;
        const qreal lead = metrics.horizontalAdvance(message.mid(lineStart, at - lineStart));
        const qreal before = lead <= lineWidth / 4 ? lead : metrics.horizontalAdvance(message.mid(start, at - start));
        const qreal after = metrics.horizontalAdvance(message.mid(at + name.size(), end - at - name.size()));
        taken = std::max(taken, before + after);
    }
    return lineWidth - taken;
}

// The message as shown: each name that fits on a line kept on one; a name with
// a part too wide for a line cut to one line with "…", the text around it whole;
// any other word too wide for a line (a path in a failure's details) cut in its middle.
QString shownMessage(const Prompter::Question& question, const QFont& font, int lineWidth)
{
    QStringList names = question.names;
    // A longer name first, so a shorter one inside it does not split it.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    const QFontMetricsF metrics(font);
    QString message = question.message;
    for (const QString& name : std::as_const(names)) {
        if (name.isEmpty() || !message.contains(name))
            continue;
        // Less a little for rounding between the measured text and the laid-out line.
        const qreal room = roomForName(message, name, metrics, lineWidth) - 4;
        if (metrics.horizontalAdvance(name) <= room)
            message.replace(name, unbreakable(name));
        else if (hasUnbreakablePartWiderThan(name, metrics, room))
            message.replace(name, unbreakable(nameFit::fitted(name, metrics, room)));
    }
    return nameFit::fittedWords(message, metrics, lineWidth - 4);
}

// The width for the message's lines: a short paragraph takes one line, a
// sentence two, anything longer the widest line.
int messageWidth(const QString& message, const QFontMetrics& metrics, int oneLine, int widest)
{
    int width = 0;
    for (const QString& paragraph : message.split(QLatin1Char('\n'))) {
        const int whole = metrics.horizontalAdvance(paragraph);
        int longestWord = 0;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            longestWord = std::max(longestWord, metrics.horizontalAdvance(word));
        // Wrapping fills a line to within its next word: half the paragraph and
        // one word leave the rest for a second line.
        const int needed =
            whole <= oneLine ? whole : (whole + longestWord) / 2 + metrics.horizontalAdvance(QLatin1Char(' '));
        width = std::max(width, needed);
    }
    // Rounding between measured words and the laid-out line.
    return std::min(width + 4, widest);
}

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

DialogPrompter::DialogPrompter(QWidget* parent) : parent_(parent)
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    lastFolder_ = QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString DialogPrompter::withSuffix(const QString& path, const QString& suffix)
{
    if (suffix.isEmpty() || path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        return path;
    return path + QLatin1Char('.') + suffix;
}

std::optional<QString> DialogPrompter::runFileDialog(const FileRequest& request, bool save)
{
    QFileDialog dialog(parent_, request.title, lastFolder_, nameFilter(request.suffix));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save) {
        dialog.setDefaultSuffix(request.suffix);
        if (!request.proposedName.isEmpty())
            dialog.selectFile(request.proposedName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder_ = QFileInfo(path).absolutePath();
    return save ? withSuffix(path, request.suffix) : path;
}

std::optional<QString> DialogPrompter::openFile(const FileRequest& request) { return runFileDialog(request, false); }

std::optional<QString> DialogPrompter::saveFile(const FileRequest& request) { return runFileDialog(request, true); }

std::unique_ptr<QMessageBox> DialogPrompter::messageBox(const Question& question, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::Warning);
    box->setText(question.title);
    const QFontMetrics metrics = box->fontMetrics();
    const int oneLine = metrics.averageCharWidth() * 60;
    const int widest = metrics.averageCharWidth() * 84;
    const QString message = shownMessage(question, box->font(), widest);
    box->setInformativeText(message);
    // Titles and messages carry names from other people: text, never markup,
    // images or links.
    box->setTextFormat(Qt::PlainText);
    for (QLabel* label : box->findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
    }
    // Wide enough for a sentence in one or two lines (the box itself sizes the
    // message by its longest word).
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setMinimumWidth(messageWidth(message, metrics, oneLine, widest));
    const QString escape = escapeButton(question);
    const QString preferred = defaultButton(question);
    for (const Button& button : question.buttons) {
        QPushButton* added = box->addButton(button.text, messageBoxRole(button.role));
        // Buttons take Return while they have the focus: only the default one may.
        added->setAutoDefault(false);
        if (button.text == preferred)
            box->setDefaultButton(added);
        if (button.text == escape)
            box->setEscapeButton(added);
    }
    return box;
}

Prompter::Answer DialogPrompter::ask(const Question& question)
{
    if (question.textPlaceholder)
        return askWithText(question);

    const std::unique_ptr<QMessageBox> box = messageBox(question, parent_);
    box->exec();
    const QAbstractButton* clicked = box->clickedButton();
    return {clicked ? clicked->text() : escapeButton(question), {}};
}

Prompter::Answer DialogPrompter::askWithText(const Question& question)
{
    QDialog dialog(parent_);
    dialog.setWindowTitle(question.title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* title = plainLabel(question.title, &dialog);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    if (!question.message.isEmpty())
        layout->addWidget(plainLabel(question.message, &dialog));
    auto* field = new QLineEdit(question.text, &dialog);
    field->setPlaceholderText(*question.textPlaceholder);
    layout->addWidget(field);

    QString chosen = escapeButton(question);
    const QString preferred = defaultButton(question);
    auto* buttons = new QDialogButtonBox(&dialog);
    for (const Button& button : question.buttons) {
        QPushButton* added = buttons->addButton(button.text, button.role == Role::cancel
                                                                 ? QDialogButtonBox::RejectRole
                                                                 : QDialogButtonBox::AcceptRole);
        added->setAutoDefault(false);
        added->setDefault(button.text == preferred);
        QObject::connect(added, &QPushButton::clicked, &dialog, [&chosen, &dialog, text = button.text] {
            chosen = text;
            dialog.done(QDialog::Accepted);
        });
    }
    layout->addWidget(buttons);
    dialog.exec();
    return {chosen, field->text()};
}

} // namespace velmor
