for (k in o) { if (k == "a") break; trace(k); }
function f(a, b) { return a + b; }
x = f(1, 2) ? [1, 2] : {a: 1};
