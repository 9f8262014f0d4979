package orvane.diff;

import java.io.PrintStream;
import java.security.Permission;
import java.util.Properties;
import java.util.TreeSet;

// One behaviour of a Java program per first argument, for the comparison of
// the launcher with java and the JNI tests: the rest of the arguments are its
// parameters.
public class Program {
    private static Properties seen = new Properties();

    // A system property as main saw it, for a caller after main returned.
    public static String property(String key) {
        return seen.getProperty(key);
    }

    // Installs a security manager that refuses to end the JVM, naming the
    // status, and allows the rest.
    @SuppressWarnings("removal")
    public static String refuseExit() {
        System.setSecurityManager(new SecurityManager() {
            @Override
            public void checkPermission(Permission permission) {
                if (permission.getName().startsWith("exitVM"))
                    throw new SecurityException("exit refused: " + permission.getName());
            }
        });
        return "installed";
    }

    // A non-daemon thread that prints after main has ended.
    static void linger() {
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(300);
            } catch (InterruptedException e) {
                return;
            }
            System.out.println("worker finished after main");
        }, "lingering worker");
        worker.start();
    }

    public static void main(String[] args) throws Exception {
        seen = (Properties) System.getProperties().clone();
        switch (args.length > 0 ? args[0] : "") {
        case "throw":
            System.out.println("about to throw");
            throw new IllegalStateException("thrown from main", new java.io.IOException("the cause"));
        case "exit":
            System.out.println("exiting with " + args[1]);
            Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("shutdown hook ran")));
            System.exit(Integer.parseInt(args[1]));
        case "linger":
            linger();
            System.out.println("main returned");
            return;
        case "linger-throw":
            linger();
            throw new IllegalStateException("thrown while a worker runs");
        case "print": {
            // 10 MB in numbered lines of 100 bytes, on standard output and a
            // line on error.
            PrintStream out = System.out;
            String line = "0123456789".repeat(9);
            for (int i = 0; i < 10 * 1024 * 1024 / 100; ++i)
                out.println(String.format("%08d ", i) + line);
            System.err.println("printed");
            return;
        }
        case "properties": {
            // Every property with its value, and the arguments.
            for (String name : new TreeSet<>(System.getProperties().stringPropertyNames()))
                System.out.println(name + "=" + System.getProperty(name));
            for (String arg : args)
                System.out.println("argument: " + arg);
            return;
        }
        default:
            System.out.println("hello");
        }
    }
}
