// The program view's face travels with the program: Liberation Mono, a free
// face with Courier New's metrics, built into the resources and registered
// with Qt's font database, so that the view shows the same lines in the same
// pixels whatever fonts the machine has or lacks.
#pragma once

#include <QByteArray>
#include <QFont>

class CListingFont {
public:
    // Adds the bundled face to the application's fonts; later calls do
    // nothing. Needs a QGuiApplication. False if it could not be added.
    static bool Register();
    // The view's face at 8.5 pt, registered first if need be.
    static QFont Font();
    // The bundled file as built in, to tell the face drawn from others.
    static QByteArray FontData();
};
