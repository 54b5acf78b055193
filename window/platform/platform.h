// The form-library, chart-independent and runtime operations the form is
// written against, on Qt and the standard library. The form includes this
// one header; each part lives in a header of its own below it.
#pragma once

#include "contrast.h"
#include "dialogs.h"
#include "sysutils.h"
#include "tapplication.h"
#include "tcanvas.h"
#include "tcolor.h"
#include "placement.h"
#include "tcontrols.h"
#include "tstrings.h"
