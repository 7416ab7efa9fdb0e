// Plain frames for read-only fields, cheap to repaint at every frame.
// Internal to platform/.
#pragma once

// Wraps the application's style; call once after the application exists.
void InstallIndicatorStyle();
