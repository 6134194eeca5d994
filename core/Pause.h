#pragma once

class EventPump;

// Sleep, then pump pending events three times.
void Pause(EventPump &pump, int milliseconds);
