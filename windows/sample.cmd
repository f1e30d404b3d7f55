@ECHO OFF
REM The sample migration with the stand-in File Manager client library of this
REM folder. In a command prompt, in this folder, type
REM
REM   sample
REM
REM It builds the control-file image ORDENTRY.ctf from ordentry.desc and
REM migrates it for the region ORDERS: migratetavo.cmd is written here and the
REM report is shown. Options after sample go to defshift as well, for instance
REM   sample -l report.log -a account.csv
REM
REM Windows loads qrlnt.dll from the folder of the program first, so
REM defshift.exe and defshiftcore.dll are copied here, beside the stand-in, and
REM run here. The package's own folder holds no qrlnt.dll: its defshift.exe reads
REM through the File Manager client library of the site.
IF NOT EXIST ordentry.desc GOTO elsewhere
COPY /Y ..\defshift.exe . >NUL
COPY /Y ..\defshiftcore.dll . >NUL
ctfimage build ordentry.desc ORDENTRY.ctf
defshift -i ORDENTRY -r ORDERS %1 %2 %3 %4 %5 %6 %7 %8 %9
GOTO end
:elsewhere
ECHO sample: run it in its own folder, the one that holds ordentry.desc
:end
