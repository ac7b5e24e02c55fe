#include "app/Form1.h"
#include "app/ProductionSeams.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(Form1::kApplicationTitle);
    QApplication::setApplicationDisplayName(QString());

    const ProductionSeams production;
    Form1 window(production.seams());
    window.show();
    return app.exec();
}
