onClipEvent (load, enterFrame) { _x += 5; with (this) { _y = 1; } }
