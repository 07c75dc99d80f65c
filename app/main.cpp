#include "Platform.h"
#include "uDataModule.h"
#include "uFrmMain.h"
#include "uUiKit.h"

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
    app.exec();

    delete frmMain;
    frmMain = nullptr;
    delete dm;
    dm = nullptr;
    return 0;
}
