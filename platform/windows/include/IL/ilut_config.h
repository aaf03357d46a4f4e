// DevIL's Windows headers expect this file; Debian's package lacks it.
#ifndef OLVISTRA_ILUT_CONFIG_H
#define OLVISTRA_ILUT_CONFIG_H
#define ILUT_USE_OPENGL
#define ILUT_USE_WIN32
#endif
