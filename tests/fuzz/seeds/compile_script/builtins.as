a = b = 1; a += b = 2; c = d ? e = 1 : 2; delete o.p; void(1, 2); setProperty("", _alpha, _alpha / 2);
getURL(u, "_self", "POST"); loadMovie(base + ".swf", 2); startDrag("k", false, 0, 0, 10, 10);
