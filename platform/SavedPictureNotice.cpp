#include "SavedPictureNotice.h"
