#pragma once
// Golden files: a long output a test shows, kept in tests/fixtures/ and
// compared whole. A line that begins with "#" is a comment, never compared;
// the file begins with one, its legend, saying how to read the lines below it
// (a golden file without a legend fails its test). TV_UPDATE_GOLDEN=1 rewrites
// the file from what the test shows, keeping its legend.

#include <QString>

namespace tv::test {

// The path of tests/fixtures/<name>.
QString fixturePath(const QString& name);
// Expects `text` (lines with '\n' between, no final one) to be the lines of
// the golden file tests/fixtures/<name> other than its comments.
void expectGolden(const QString& text, const QString& name);

}  // namespace tv::test
