#!/usr/bin/env ombrix
10 PRINT "ten"
PRINT "a direct statement"
STOP
20 PRINT "twenty"
RUN
SAVE "written.bas"
LOAD "other.bas"
CLEAR
this is not BASIC

   
30 GARBAGE
40 PRINT "forty"
40
0 PRINT "zero"
LET 50
60 PRINT "sixty"
