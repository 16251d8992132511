// Printed forms of every kind of object.
#pragma once

#include "theme/ThmObject.h"

// Writes the object to an output port; none prints "<null>". Pairs always print dotted:
// the list (a b) prints as (a . (b . ())).
void ThmPrint(const ThmObject *object, ThmObject *port);
