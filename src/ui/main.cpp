#include <QIcon>

#include "ui/application.h"
#include "ui/program.h"

int main(int argc, char** argv) {
    ziv::TZivApplication app(argc, argv);
    QIcon icon;
    icon.addFile(QStringLiteral(":/ziv/icon-32.png"));
    icon.addFile(QStringLiteral(":/ziv/icon-64.png"));
    QApplication::setWindowIcon(icon);
    ziv::TProgram program(QCoreApplication::applicationFilePath());
    app.SetErrorReport(&program.Errors());
    return program.Run();
}
