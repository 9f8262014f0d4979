package orvane.test;

import java.io.File;
import java.io.FileDescriptor;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.util.Properties;

// Records which system properties main saw, for the test to read back after
// main returned.
public class Probe {
    private static Properties seen = new Properties();

    public static void main(String[] args) {
        seen = (Properties) System.getProperties().clone();
    }

    public static String property(String key) {
        return seen.getProperty(key);
    }

    // Where a relative name resolves and what opening it reads: path|content.
    public static String relativeFile(String name) throws IOException {
        try (FileInputStream in = new FileInputStream(name)) {
            return new File(name).getAbsolutePath() + "|" + new String(in.readAllBytes());
        }
    }

    // Gives the process its standard streams back after the launcher sent
    // them elsewhere.
    public static String restoreStreams() {
        System.setOut(new PrintStream(new FileOutputStream(FileDescriptor.out), true));
        System.setErr(new PrintStream(new FileOutputStream(FileDescriptor.err), true));
        return "restored";
    }
}
