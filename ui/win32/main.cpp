#include "application.h"
#include "tform1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    TApplication application;
    return application.RunProtected([&application] {
        application.Initialize();
        application.CreateForm(Form1);
        application.Run();
    });
}
