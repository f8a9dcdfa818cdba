#pragma once

// What the window program sets up before its application object exists.

// The connection time limit, the program's identity, the compiled-in images,
// and no OpenGL for a program that draws none.
void prepararInicio();
