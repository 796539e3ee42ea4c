#pragma once

// The public face of the Korvastel core: span parsing, the ruling-span
// calculation, number formatting and the span file.

#include "core/DecimalSeparator.h"
#include "core/Errors.h"
#include "core/NumberFormat.h"
#include "core/ParseSpan.h"
#include "core/RulingSpan.h"
#include "core/SpanColumn.h"
#include "core/SpanFile.h"
