#include "app/interface/testing/fake_tray_backend.h"
