#pragma once

// Qt ends the program with an abort and several lines when no platform can
// be started for the window, as where DISPLAY names a display that is not
// there. Between these two calls, around making the application object,
// Qt's messages are held back instead; should Qt end the program there,
// one line says why ("kgf-formation-editor: The window could not be
// opened: ...") and the program ends with status 1.
void holdQtMessagesWhileStarting();

// The application object exists: Qt's handler takes messages again, and
// gets those that were held back.
void releaseQtMessages();
