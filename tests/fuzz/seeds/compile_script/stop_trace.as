stop();
trace("hi");
