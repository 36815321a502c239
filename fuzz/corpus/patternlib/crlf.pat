*win,Windows line ends
45,0,0,0,6,2,-1

*two
0,0,0,0,3
90,0,0,0,3,1,-1
