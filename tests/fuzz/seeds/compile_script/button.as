on (press, keyPress "<left>") { gotoAndPlay(2); }
