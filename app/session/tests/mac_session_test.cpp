#include "app/session/mac_session.h"
