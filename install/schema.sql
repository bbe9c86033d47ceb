-- The tables of a data file. Column order matters: the grids show
-- "select *" and the table import copies by position.
CREATE TABLE zfdj (fjh TEXT, jzrs SMALLINT, xm TEXT, dw TEXT, dh TEXT, yh TEXT, wh TEXT, n1 SMALLINT,
  n2 SMALLINT, rzrq TEXT, lkrq TEXT, sfzhm TEXT, fq TEXT, xb1 TEXT, cxny1 TEXT, mq TEXT, xb2 TEXT, cxny2 TEXT,
  xm1 TEXT, xb3 TEXT, cxny3 TEXT, xm2 TEXT, xb4 TEXT, cxny4 TEXT, xm3 TEXT, xb5 TEXT, cxny5 TEXT, xm4 TEXT,
  xb6 TEXT, cxny6 TEXT, ysno TEXT, xp BLOB);
CREATE TABLE fzsdjs (jfrq DATETIME, fjh TEXT, xm TEXT, sfzhm TEXT, zj CURRENCY, sfsd1 TEXT, sfsd2 TEXT,
  bysb SINGLE, sysb SINGLE, ysl SINGLE, sdj CURRENCY, sf CURRENCY, bydb SINGLE, sydb SINGLE, ydl SINGLE,
  ddj CURRENCY, df CURRENCY, zf CURRENCY, hj CURRENCY);
CREATE TABLE bysj (jfrq DATETIME, fjh TEXT, xm TEXT, sfzhm TEXT, zj CURRENCY, bysb SINGLE, sdj CURRENCY,
  bydb SINGLE, ddj CURRENCY);
CREATE TABLE sysj (jfrq DATETIME, fjh TEXT, xm TEXT, sfzhm TEXT, zj CURRENCY, sysb SINGLE, sdj CURRENCY,
  sydb SINGLE, ddj CURRENCY);
CREATE TABLE qtfy (jfrq DATETIME, fjh TEXT, sfzhm TEXT, kdf CURRENCY, dtf CURRENCY, wsf CURRENCY, zaf CURRENCY,
  wgf CURRENCY, qtf CURRENCY, hj CURRENCY);
-- The searches by room, billing date and room status and the bills of one
-- tenant. An index also lists a table's rows without reading the rows
-- themselves (a registration holds its photo).
CREATE INDEX zfdj_fjh ON zfdj (fjh);
CREATE INDEX zfdj_ysno ON zfdj (ysno);
CREATE INDEX fzsdjs_jfrq ON fzsdjs (jfrq);
CREATE INDEX fzsdjs_sfzhm ON fzsdjs (sfzhm);
CREATE INDEX qtfy_jfrq ON qtfy (jfrq);
CREATE INDEX qtfy_sfzhm ON qtfy (sfzhm);
-- user database Rave.ini:
CREATE TABLE yhzc (yhxm TEXT, mima TEXT, dhhm TEXT);
