#include "support/Golden.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QStringList>

#include <algorithm>

namespace tv::test {

namespace {
bool isComment(const QString& line) { return line.startsWith(QLatin1Char('#')); }

QStringList linesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')) : QStringList();
}

// Rewrites the golden file with `text` under its legend. Comments between the
// lines stay where they are while the number of lines stays; when it changes,
// such a file is left to be updated by hand.
void update(const QString& path, QStringList lines, const QString& text) {
    const QStringList shown = (text + QLatin1Char('\n')).split(QLatin1Char('\n'));
    const auto legendEnd = std::find_if_not(lines.cbegin(), lines.cend(), isComment);
    if (!std::any_of(legendEnd, lines.cend(), isComment)) {
        lines = QStringList(lines.cbegin(), legendEnd) + shown;
    } else if (std::count_if(lines.cbegin(), lines.cend(), isComment) + shown.size() == lines.size()) {
        auto next = shown.cbegin();
        for (QString& line : lines)
            if (!isComment(line))
                line = *next++;
    } else {
        ADD_FAILURE() << path.toStdString() << " has comments between its lines: update it by hand";
        return;
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(lines.join(QLatin1Char('\n')).toUtf8()) < 0)
        ADD_FAILURE() << "cannot write " << path.toStdString();
}
}  // namespace

QString fixturePath(const QString& name) { return QStringLiteral(TV_FIXTURES_DIR "/") + name; }

void expectGolden(const QString& text, const QString& name) {
    const QString path = fixturePath(name);
    if (qEnvironmentVariableIsSet("TV_UPDATE_GOLDEN"))
        update(path, linesOf(path), text);
    const QStringList lines = linesOf(path);
    if (lines.isEmpty()) {
        ADD_FAILURE() << "no golden file " << path.toStdString() << " (TV_UPDATE_GOLDEN=1 writes it)";
        return;
    }
    EXPECT_TRUE(lines[0].startsWith(QLatin1String("# ")))
        << name.toStdString() << " has no legend: its first line must begin with \"# \" and say how to read the "
        << "lines below it";
    // The lines compared, each with its number in the file.
    QStringList golden;
    std::vector<qsizetype> numbers;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (!isComment(lines[i]))
            golden << lines[i], numbers.push_back(i + 1);
    const QStringList shown = (text + QLatin1Char('\n')).split(QLatin1Char('\n'));
    if (shown == golden)
        return;
    qsizetype i = 0;
    while (i < shown.size() && i < golden.size() && shown[i] == golden[i]) ++i;
    const qsizetype number = i < golden.size() ? numbers[i] : lines.size() + 1;
    ADD_FAILURE() << "the lines shown differ from tests/fixtures/" << name.toStdString() << " from its line " << number
                  << " on:\n  golden: " << golden.value(i, "(none)").toStdString()
                  << "\n  shown:  " << shown.value(i, "(none)").toStdString()
                  << "\nTV_UPDATE_GOLDEN=1 rewrites the file from what the test shows; git diff then shows every "
                     "change.";
}

}  // namespace tv::test
