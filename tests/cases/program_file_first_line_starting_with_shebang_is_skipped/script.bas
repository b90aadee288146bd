#!/usr/bin/env ombrix
10 PRINT "run as a script"
