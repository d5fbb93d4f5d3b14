#pragma once
#include "model/nv_item_array.h"

// List operations the document offers to the file and phone jobs.

// Removes every record whose active state is 0 or less, keeping order; returns the new size.
int RemoveInactive(CNVItemArray& list);

// Sorts by name and keeps each array item only as an unbroken run of elements from
// index 0, so that it is written as one ordered run.
void SortByNameKeepWholeArrays(CNVItemArray& list);
