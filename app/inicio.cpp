#include "app/inicio.h"

#include "config/maquina.h"
#include "db/databaseconnection.h"

#include <QByteArray>

void prepararInicio()
{
    // An unreachable machine would otherwise hold a connection attempt for
    // minutes.
    definirTempoLimiteConexaoPadrao();
    definirIdentidadeDoPrograma();
    Q_INIT_RESOURCE(img);
    // On X11, Qt loads the GLX integration (and, without a GPU, a software
    // rasterizer) for every window: most of the start-up of a program that
    // never draws with OpenGL.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}
