-- The admin store on PostgreSQL: what `warden-server --init-store` creates
-- in an empty database (the database's owner may also run this file with
-- psql). The steps match those of AdminStoreSchema.sql, the SQLite store:
-- each "-- step:" line starts one step, which makes one table or adds one
-- column; the server applies at start every step an existing store lacks.
-- A released step is never edited: a later change is a new step at the end.
--
-- Account names compare without regard to case: the column is citext, which
-- makes "=", the primary key and ORDER BY ignore case with no change to any
-- statement (a plain text column would need lower() in every one). citext
-- ships with PostgreSQL and is a trusted extension, so the database's owner
-- may create it. The collation "C" folds and orders as SQLite's NOCASE does,
-- whatever the database's locale: ASCII letters fold, everything else
-- compares by code point.

-- step: table vex_2nd_admins
CREATE EXTENSION IF NOT EXISTS citext;
CREATE TABLE vex_2nd_admins (
    admin_name  citext COLLATE "C" NOT NULL PRIMARY KEY,
    admin_pwd   text,
    admin_depts text,
    is_sadmin   text
);

-- The super administrator. The initial password is stored as plain text: the
-- first successful login replaces it by its Argon2id hash, and the server
-- warns at every start until it has been changed.
INSERT INTO vex_2nd_admins (admin_name, admin_pwd, admin_depts, is_sadmin)
VALUES ('admin', 'admin', NULL, '1');

-- step: column vex_2nd_admins.pending_roles
-- The roles a save is writing to RolesAdmin.ini, set with admin_depts and
-- cleared once the file holds them; a value left by a crash is written to the
-- file at the next start.
ALTER TABLE vex_2nd_admins ADD COLUMN pending_roles text;
