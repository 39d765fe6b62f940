function f(){_x=e;e();}
/* a
 b */ function g(a){ return _y + a; } // c
var v = "p" + q + "r" + s || t && u > w;
#define D 1
#ifdef D
getURL("a");
#endif
