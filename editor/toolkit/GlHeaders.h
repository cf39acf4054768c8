#pragma once
// The GL declarations of the toolkit's sources, in the order GLEW requires. Included
// by .cpp files only.

#include <GL/glew.h>
#include <GL/glu.h>
