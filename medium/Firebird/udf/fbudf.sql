Demo placeholder for the Firebird server file udf\fbudf.sql: not the real file.
