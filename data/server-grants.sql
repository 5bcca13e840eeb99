-- Who may do what in a shared database on a PostgreSQL server, run in that
-- database by the server's superuser (tools/shared-database.sh grants) after
-- brenvoll.desk and brenvoll.admin are set to the two logins' names:
--
--   the desks' login      reads everything; changes the records, the settings
--                         and the phrases, as every desk must; adds kept
--                         versions, restores and login records but never
--                         changes or removes one; reads the accounts and
--                         writes only an account's time of last login.
--   the account login     owns the database and its tables: 用户管理… on a
--                         server makes its changes through it.
--
-- An owner may do anything with its tables and grant itself back what was
-- taken, so the desks' login owns nothing here. Run again whenever it is
-- unsure who owns what: on a database that tables, copy or restore just
-- filled, and after an upgrade of the program that added tables.
DO $grants$
DECLARE
    desk text := current_setting('brenvoll.desk');
    admin text := current_setting('brenvoll.admin');
    item record;
BEGIN
    EXECUTE format('ALTER DATABASE %I OWNER TO %I', current_database(), admin);
    EXECUTE format('REVOKE CREATE ON SCHEMA public FROM PUBLIC, %I', desk);
    EXECUTE format('GRANT USAGE ON SCHEMA public TO %I', desk);
    FOR item IN SELECT tablename FROM pg_tables WHERE schemaname = 'public' LOOP
        EXECUTE format('ALTER TABLE public.%I OWNER TO %I', item.tablename, admin);
        EXECUTE format('REVOKE ALL ON public.%I FROM PUBLIC, %I', item.tablename, desk);
        IF item.tablename IN ('档案', '设置', '词库') THEN
            EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON public.%I TO %I', item.tablename, desk);
        ELSIF item.tablename IN ('档案版本', '档案恢复', '登录记录') THEN
            EXECUTE format('GRANT SELECT, INSERT ON public.%I TO %I', item.tablename, desk);
        ELSIF item.tablename = '账户' THEN
            EXECUTE format('GRANT SELECT, UPDATE (最后登录) ON public.%I TO %I', item.tablename, desk);
        ELSE
            EXECUTE format('GRANT SELECT ON public.%I TO %I', item.tablename, desk);
        END IF;
    END LOOP;
    FOR item IN SELECT sequencename FROM pg_sequences WHERE schemaname = 'public' LOOP
        EXECUTE format('GRANT USAGE, SELECT ON SEQUENCE public.%I TO %I', item.sequencename, desk);
    END LOOP;
END
$grants$;
