// Program start: the COM apartment of the main thread, the application with its title, the zoom
// window as main form, the message loop; the apartment is left after the window is gone.
#include "app/command_line.h"
#include "app/error_text.h"
#include "app/zoom_window.h"
#include "platform/com_apartment.h"
#include "platform/files.h"
#include "platform/gui.h"

int main() {
    ComApartment apartment;  // left at the end only when joining succeeded
    {
        Application application;
        application.SetTitle(ApplicationTitle(ExecutablePath()));
        TForm1 form(IsAutosetMode(RawCommandLine()));
        application.CreateMainForm(form);
        application.Run();  // FormDestroy runs when the loop has ended
    }
    return 0;
}
