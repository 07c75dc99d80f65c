#include "Platform.h"
#include "uDataModule.h"
#include "uFrmMain.h"
#include "uUiKit.h"

#include <QTimer>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    if (!platform().acquireSingleInstance("KELDA"))
        return 0;
    platform().importPersistentEnvironment();

    dm = new Tdm;
    Guarded([] { dm->DataModuleCreate(); });
    frmMain = new TfrmMain;
    if (frmMain->ShowMainFormAtStart())
        frmMain->show();
    // Benchmark hook: the start-up benchmark times the start until the loop is first idle.
    if (qEnvironmentVariableIsSet("KELDA_QUIT_WHEN_IDLE"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    app.exec();

    delete frmMain;
    frmMain = nullptr;
    delete dm;
    dm = nullptr;
    return 0;
}
